# Writes SITE/service_worker.js from TEMPLATE: the list of the site's files (those of SITE, and
# the site's own address) and a version made of their contents.
#   cmake -DSITE=... -DTEMPLATE=... -P service_worker.cmake
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files service_worker.js)
# The compressed copies are the same files: the server picks them, the worker never asks.
list(FILTER files EXCLUDE REGEX "\\.(gz|br)$")
# Nor what no page of the site loads: the large icons an installing browser takes for itself
# (and keeps), and the fonts' licences. A first visit on a phone network fetches only the rest.
list(FILTER files EXCLUDE REGEX "^icons/voltaro-(192|512|maskable-512)\\.png$|\\.LICENSE\\.txt$")
# Nor online play's module: it is of no use offline, and only a visitor who plays online needs it.
list(FILTER files EXCLUDE REGEX "^voltaro-online\\.(js|wasm)$")
list(SORT files)
set(hashes "")
set(VOLTARO_SITE_FILES "'./'")
foreach(file IN LISTS files)
    file(SHA256 ${SITE}/${file} hash)
    string(APPEND hashes "${hash}  ${file}\n")
    string(APPEND VOLTARO_SITE_FILES ", '${file}'")
endforeach()
string(SHA256 VOLTARO_SITE_VERSION "${hashes}")
string(SUBSTRING ${VOLTARO_SITE_VERSION} 0 16 VOLTARO_SITE_VERSION)
configure_file(${TEMPLATE} ${SITE}/service_worker.js @ONLY)
