# The -posix compilers give GoogleTest its std::mutex; product binaries link
# statically, so no thread or C++ runtime DLL is needed either way.
set(CMAKE_C_COMPILER ${OV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${OV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
