#!/usr/bin/env bash
# A local mirror of the disc image: the test server (tests/server) serving a generated image at the
# real path, over HTTPS on 127.0.0.1 with an authority made afresh at each start.
#   mirror.sh start STATE_DIR [SIZE_MB]    (default 40 MB)
#   mirror.sh stop STATE_DIR
# After start, STATE_DIR holds:
#   url         https://localhost:PORT/sg/.../HomeStudent2019Retail.img (add ?throttle=BYTES_PER_S etc.)
#   http_url    the same over plain HTTP
#   ca.pem      the authority to trust (DRAVLIN_CA_FILE)
#   image.sha256, image.size   what the mirror serves
# The image is the same bytes for the same size every time (a keyed stream cipher over zeros), so a
# run can be repeated byte for byte; it is kept between starts.
set -euo pipefail
command=$1 state=$2
here=$(cd "$(dirname "$0")" && pwd)
server=$here/../../server
image_path=sg/492350f6-3a01-4f97-b9c0-c7c6ddf67d60/media/zh-CN/HomeStudent2019Retail.img

if [ "$command" = stop ]; then
    "$server/stop.sh" "$state/server"
    exit 0
fi
[ "$command" = start ] || { echo "usage: mirror.sh start|stop STATE_DIR [SIZE_MB]" >&2; exit 2; }
size=$((${3:-40} * 1024 * 1024))
mkdir -p "$state/root/$(dirname "$image_path")"
image=$state/root/$image_path
if [ "$(stat -c %s "$image" 2>/dev/null || echo 0)" != "$size" ]; then
    head -c "$size" /dev/zero |
        openssl enc -aes-128-ctr -nosalt -K 48616c64656e206d6972726f72000000 -iv 00000000000000000000000000000000 >"$image.part"
    mv "$image.part" "$image"
    sha256sum "$image" | cut -d' ' -f1 >"$state/image.sha256"
fi
[ -s "$state/image.sha256" ] || sha256sum "$image" | cut -d' ' -f1 >"$state/image.sha256"
echo "$size" >"$state/image.size"
"$server/start.sh" "$state/server" "$state/root"
cp "$state/server/ca.pem" "$state/ca.pem"
echo "https://localhost:$(cat "$state/server/https_port")/$image_path" >"$state/url"
echo "http://127.0.0.1:$(cat "$state/server/port")/$image_path" >"$state/http_url"
