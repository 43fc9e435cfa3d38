# cpack_project.cmake -- read by CPack before it makes the packages. Each package's description
# begins with its own synopsis line; without this, CPack puts the project's in front of it.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
