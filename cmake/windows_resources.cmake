# Resources of a Windows program: its .rc file and the manifest it names, filled in with
# the program's processor architecture (a 64-bit program whose manifest says X86 gets the
# old common controls). The resource object is rebuilt when the manifest or any other
# file the .rc names changes.
#
#   zarn_windows_resources(TARGET RC_FILE MANIFEST_TEMPLATE [OTHER_INPUTS...])
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZARN_MANIFEST_ARCH amd64)
else()
  set(ZARN_MANIFEST_ARCH X86)
endif()

function(zarn_windows_resources target rc_file manifest_template)
  get_filename_component(manifest_name ${manifest_template} NAME_WLE)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  configure_file(${manifest_template} ${out_dir}/${manifest_name} @ONLY)
  target_sources(${target} PRIVATE ${rc_file})
  # windres looks for the files an .rc names in its include folders too.
  target_include_directories(${target} PRIVATE ${out_dir})
  set_property(SOURCE ${rc_file} APPEND PROPERTY OBJECT_DEPENDS ${out_dir}/${manifest_name} ${ARGN})
endfunction()
