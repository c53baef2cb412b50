# The settings store needs only its own library; it touches the registry, not the desktop,
# and every test works on its own key, so no lock.
selvane_add_gtest(NAME win32_settings SOURCES ${src} LIBS selvane_settings)
