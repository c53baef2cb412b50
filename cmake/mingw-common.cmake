set(CMAKE_C_COMPILER ${SELVANE_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SELVANE_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SELVANE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SELVANE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GoogleTest needs the posix thread model; -static leaves only system DLLs imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Cross-built programs (tests, helpers) run under Wine through this launcher.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
