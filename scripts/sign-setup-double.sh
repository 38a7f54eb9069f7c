#!/usr/bin/env bash
# Signs the setup double with a code-signing certificate made here and now by openssl, so that the
# setup signature check has a signed program to pass or refuse. No key is kept: it is made for one
# signature and deleted.
#   usage: sign-setup-double.sh BUILD_DIR [SUBJECT [FOLDER]]
# SUBJECT is the certificate subject's common name and organisation (default "Microsoft
# Corporation"). The signed program is written as Setup64.exe and Setup32.exe into FOLDER, by
# default C:\ProgramData\HaldenDoubles\setup of BUILD_DIR's test prefix, from where the mount double
# puts it on the drive it makes. Remove that folder to go back to the unsigned double.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [SUBJECT [FOLDER]]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
subject=${2:-Microsoft Corporation}
double="$build/bin/doubles/powershell.exe"
[ -f "$double" ] || { echo "sign-setup-double: no $double; build first" >&2; exit 1; }
if [ $# -ge 3 ]; then
    folder=$3
else
    # The prefix must exist before anything is put in it, or making it would wipe the folder.
    WINEPREFIX="$build/wineprefix" "$here/wine-prefix.sh" "$build/wineprefix"
    folder="$build/wineprefix/drive_c/ProgramData/HaldenDoubles/setup"
fi
mkdir -p "$folder"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$subject/O=$subject" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$work/key.pem" -out "$work/certificate.pem" 2>/dev/null
osslsigncode sign -certs "$work/certificate.pem" -key "$work/key.pem" -n "Setup (test double)" \
    -in "$double" -out "$work/signed.exe" >/dev/null
cp "$work/signed.exe" "$folder/Setup64.exe"
cp "$work/signed.exe" "$folder/Setup32.exe"
