#!/bin/sh
# The shipped nginx configuration run on loopback in front of two voltaro-server processes, for
# the tests: its certificate, ports and folders are the test's own, everything else stays as
# shipped. Becomes nginx (in the foreground), so the caller stops it with SIGTERM.
#   nginx-on-loopback.sh DIR TLS_PORT PLAIN_PORT SERVER_A_PORT SERVER_B_PORT SITE
set -eu
dir=$1 tls=$2 plain=$3 a=$4 b=$5 site=$6
shipped=$(dirname "$0")/../../data/nginx/voltaro.conf
# The folder goes into sed's replacements and nginx's configuration as it is.
for folder in "$dir" "$site"; do
    case $folder in
    *[!A-Za-z0-9/._-]*) echo "a folder's path may hold only letters, digits and / . _ -: $folder" >&2; exit 2 ;;
    esac
done
mkdir -p "$dir"

# Every line this changes must still be in the shipped file.
for line in '127.0.0.1:8001;' '127.0.0.1:8002;' 'listen 443 ssl;' 'listen 80;' \
    'listen [::]:80;' 'listen [::]:443 ssl;' /etc/ssl/certs/voltaro.example.org.pem \
    /etc/ssl/private/voltaro.example.org.key 'root /srv/voltaro/site;'; do
    grep -qF -- "$line" "$shipped" || { echo "the shipped configuration has no '$line'" >&2; exit 2; }
done

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost \
    -keyout "$dir/k.pem" -out "$dir/c.pem" 2>/dev/null

sed -e "s|127\.0\.0\.1:8001;|127.0.0.1:$a;|g" -e "s|127\.0\.0\.1:8002;|127.0.0.1:$b;|g" \
    -e "s|listen 443 ssl;|listen 127.0.0.1:$tls ssl;|" -e "s|listen 80;|listen 127.0.0.1:$plain;|" \
    -e '/listen \[::\]:80;/d' -e '/listen \[::\]:443 ssl;/d' \
    -e "s|/etc/ssl/certs/voltaro.example.org.pem|$dir/c.pem|" \
    -e "s|/etc/ssl/private/voltaro.example.org.key|$dir/k.pem|" \
    -e "s|root /srv/voltaro/site;|root $site;|" \
    "$shipped" >"$dir/voltaro.conf"

cat >"$dir/nginx.conf" <<EOF
# One process, so that stopping it leaves no workers behind.
daemon off; master_process off; pid $dir/nginx.pid; error_log $dir/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $dir/cb; proxy_temp_path $dir/pt; fastcgi_temp_path $dir/ft;
  uwsgi_temp_path $dir/ut; scgi_temp_path $dir/st;
  include $dir/voltaro.conf;
}
EOF
exec nginx -p "$dir/" -c "$dir/nginx.conf"
