# cmake -DSCRIPT=quarvelin.js -DDATA=quarvelin.data -P web-package-id.cmake:
# sets the package id in the program's script to one made from the data's
# SHA-256, in the form of the random one it replaces.
file(SHA256 ${DATA} hash)
string(REGEX REPLACE "^(........)(....)(....)(....)(............).*" "\\1-\\2-\\3-\\4-\\5" id "${hash}")
file(READ ${SCRIPT} script)
string(REGEX REPLACE "\"package_uuid\":\"[^\"]*\"" "\"package_uuid\":\"${id}\"" script "${script}")
file(WRITE ${SCRIPT} "${script}")
