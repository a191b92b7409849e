# moirelle_sources(VAR dir...) collects the .cpp files directly inside each folder
# (not its subfolders), so portable folders never pick up their win/ children.
function(moirelle_sources var)
    set(all)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS ${MOIRELLE_ROOT}/${dir}/*.cpp ${MOIRELLE_ROOT}/${dir}/*.c)
        list(APPEND all ${found})
    endforeach()
    set(${var} ${all} PARENT_SCOPE)
endfunction()
