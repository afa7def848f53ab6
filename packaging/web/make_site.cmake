# Writes the site: cmake -DSITE= -DBUILD= -DPAGE= -DICONS= -DVERSION= -P make_site.cmake
file(MAKE_DIRECTORY ${SITE})
foreach(part quillmoor.js quillmoor.wasm quillmoor.data)
  file(COPY_FILE ${BUILD}/${part} ${SITE}/${part} ONLY_IF_DIFFERENT)
endforeach()
file(COPY_FILE ${PAGE}/page.js ${SITE}/page.js ONLY_IF_DIFFERENT)
foreach(picture icon32 icon192 icon512 still)
  file(COPY_FILE ${ICONS}/${picture}.png ${SITE}/${picture}.png ONLY_IF_DIFFERENT)
endforeach()
file(SHA256 ${BUILD}/quillmoor.data digest)
string(SUBSTRING ${digest} 0 16 ART_STAMP)
file(SIZE ${BUILD}/quillmoor.data DATA_BYTES)
file(SIZE ${BUILD}/quillmoor.wasm WASM_BYTES)
configure_file(${PAGE}/index.html ${SITE}/index.html @ONLY)
configure_file(${PAGE}/manifest.webmanifest.in ${SITE}/manifest.webmanifest @ONLY)

# The service worker caches these, each checked against its hash when it is
# fetched, so that a cache never mixes two builds; its cache's name changes
# with any of them.
set(cached index.html page.js quillmoor.js quillmoor.wasm quillmoor.data manifest.webmanifest
  icon32.png icon192.png icon512.png still.png)
set(FILE_HASHES "")
set(all "")
foreach(name ${cached})
  file(SHA256 ${SITE}/${name} digest)
  string(APPEND FILE_HASHES "  '${name}': '${digest}',\n")
  string(APPEND all ${digest})
endforeach()
string(SHA256 all ${all})
string(SUBSTRING ${all} 0 16 SITE_STAMP)
set(CACHE_NAME "quillmoor-${VERSION}-${ART_STAMP}-${SITE_STAMP}")
configure_file(${PAGE}/sw.js.in ${SITE}/sw.js @ONLY)
file(REMOVE ${SITE}/icon.png) # the name of the page's icon in earlier builds
