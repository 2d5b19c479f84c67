# SPDX-License-Identifier: MIT
# Two builds of one commit give the same bytes wherever the tree lies (SOURCE_DATE_EPOCH gives the
# packages' times): the paths in the debug information, and the file names of assertions, are
# written relative to the tree, and a Windows program's header carries no link time (its checksum,
# taken over the header, then stays the same too). Included before any target.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
