#!/bin/bash
# Signs one file in place with osslsigncode: sign.sh OSSLSIGNCODE-OPTIONS... FILE
# (the certificate options: -pkcs12 F -readpass F, or -certs C -key K; -t URL).
# It signs to a new file and moves that over the old one, since some
# osslsigncode versions refuse an -out that exists.
set -euo pipefail
file="${!#}"
options=("${@:1:$#-1}")
signed="$file.signing"
rm -f "$signed"
trap 'rm -f "$signed"' EXIT
osslsigncode sign "${options[@]}" -h sha256 -n "Tolvek Lark WPS button" -in "$file" -out "$signed" >/dev/null
mv -f "$signed" "$file"
