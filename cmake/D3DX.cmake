# D3DX 9 as the target `d3dx9`: its include folder and its import library by
# full path. MinGW-w64 ships both in the toolchain (d3dx9_43). For MSVC they
# come from one of two layouts:
# - the Microsoft.DXSDK.D3DX NuGet package, whose folder is D3DX9_PACKAGE_DIR
#   or an entry of CMAKE_PREFIX_PATH (the package's folder or its
#   build/native); it carries the DLLs too, which no Windows has on PATH, so
#   copy_d3dx_runtime puts them beside the programs that load them;
# - the DirectX SDK (June 2010), found through DXSDK_DIR, as its installer
#   sets it; its DLLs come with the DirectX End-User Runtime, in the system.
add_library(d3dx9 INTERFACE)
set_property(TARGET d3dx9 PROPERTY D3DX9_RUNTIME_DLLS "")

# copy_d3dx_runtime(TARGET): after TARGET is built, the package's DLLs go
# beside it, so that it starts from its own folder (the shader compiler runs
# during the build, the game from build/msvc/game/). Nothing to do for the
# other layouts.
function(copy_d3dx_runtime target)
  get_target_property(dlls d3dx9 D3DX9_RUNTIME_DLLS)
  if(dlls)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} $<TARGET_FILE_DIR:${target}>
      VERBATIM)
  endif()
endfunction()

if(MINGW)
  target_link_libraries(d3dx9 INTERFACE d3dx9_43)
  return()
endif()

set(D3DX9_PACKAGE_DIR "" CACHE PATH
    "Folder of the Microsoft.DXSDK.D3DX package (the one holding build/native)")

# The package's build/native folder, or nothing.
function(find_d3dx_package result)
  foreach(root IN LISTS D3DX9_PACKAGE_DIR CMAKE_PREFIX_PATH)
    file(TO_CMAKE_PATH "${root}" root)
    foreach(native IN ITEMS "${root}/build/native" "${root}")
      if(EXISTS "${native}/include/d3dx9.h" AND EXISTS "${native}/release/lib/x64/d3dx9.lib")
        set(${result} "${native}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${result} "" PARENT_SCOPE)
endfunction()

find_d3dx_package(D3DX9_NATIVE_DIR)
file(TO_CMAKE_PATH "$ENV{DXSDK_DIR}" D3DX9_SDK_DIR)
if(D3DX9_NATIVE_DIR)
  set(D3DX9_INCLUDE_DIR "${D3DX9_NATIVE_DIR}/include")
  set(D3DX9_LIBRARY "${D3DX9_NATIVE_DIR}/release/lib/x64/d3dx9.lib")
  # D3DCompiler_43.dll, which D3DX9_43.dll loads for its shader functions,
  # comes with some versions of the package only.
  set(dlls "${D3DX9_NATIVE_DIR}/release/bin/x64/D3DX9_43.dll")
  if(EXISTS "${D3DX9_NATIVE_DIR}/release/bin/x64/D3DCompiler_43.dll")
    list(APPEND dlls "${D3DX9_NATIVE_DIR}/release/bin/x64/D3DCompiler_43.dll")
  endif()
  set_property(TARGET d3dx9 PROPERTY D3DX9_RUNTIME_DLLS ${dlls})
elseif(D3DX9_SDK_DIR AND EXISTS "${D3DX9_SDK_DIR}/Include/d3dx9.h"
       AND EXISTS "${D3DX9_SDK_DIR}/Lib/x64/d3dx9.lib")
  set(D3DX9_INCLUDE_DIR "${D3DX9_SDK_DIR}/Include")
  set(D3DX9_LIBRARY "${D3DX9_SDK_DIR}/Lib/x64/d3dx9.lib")
else()
  message(FATAL_ERROR
    "D3DX 9 not found. Give either the Microsoft.DXSDK.D3DX package, its "
    "folder as -DD3DX9_PACKAGE_DIR=<folder> or in CMAKE_PREFIX_PATH "
    "(build/native/include/d3dx9.h, build/native/release/lib/x64/d3dx9.lib), "
    "or the DirectX SDK (June 2010) through the DXSDK_DIR environment "
    "variable (Include/d3dx9.h, Lib/x64/d3dx9.lib).")
endif()
message(STATUS "D3DX 9: ${D3DX9_LIBRARY}")
target_include_directories(d3dx9 SYSTEM INTERFACE "${D3DX9_INCLUDE_DIR}")
target_link_libraries(d3dx9 INTERFACE "${D3DX9_LIBRARY}")
