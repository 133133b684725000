# Lua 5.2.4, built from its unmodified release sources as a static library.
# Set FETCHCONTENT_SOURCE_DIR_LUA to a folder holding those sources to build
# without a download (the Makefile points it at Debian's copy).
include(FetchContent)
FetchContent_Declare(lua
  URL https://www.lua.org/ftp/lua-5.2.4.tar.gz
  URL_HASH SHA256=b9e2e4aad6789b3b63a056d442f7b39f0ecfca3ae0f1fc0ae4e9614401b69f4b
  DOWNLOAD_EXTRACT_TIMESTAMP TRUE)
FetchContent_GetProperties(lua)
if(NOT lua_POPULATED)
  FetchContent_Populate(lua)
endif()

# The core and the auxiliary library only: the material runs with no standard
# library opened, so none is compiled in.
set(LUA_CORE_SOURCES
  lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes
  lparser lstate lstring ltable ltm lundump lvm lzio lauxlib)
list(TRANSFORM LUA_CORE_SOURCES PREPEND ${lua_SOURCE_DIR}/src/)
list(TRANSFORM LUA_CORE_SOURCES APPEND .c)

add_library(lua STATIC ${LUA_CORE_SOURCES})
set_target_properties(lua PROPERTIES LINKER_LANGUAGE C C_STANDARD 99)
target_include_directories(lua SYSTEM PUBLIC ${lua_SOURCE_DIR}/src)
