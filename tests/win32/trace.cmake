# The error trace needs only its library; it starts a child of itself under a debugger.
selvane_add_gtest(NAME win32_trace SOURCES ${src} LIBS selvane_res)
