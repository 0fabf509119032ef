# With the sharing policy present the program goes for connection sharing, which Wine lacks:
# "ICS_FAILED" from initialisation, and it stays until closed. "wlanapi.dll" and
# "netshell.dll" copies in the current folder and beside tethra.exe are never loaded.
policy present
start /ShareLAN
wait code ICS_FAILED 15000
sleep 1000
expect running
expect codes ICS_FAILED
post close
expect exit 0 10000
expect sequence ICS_FAILED TETHRA_CLOSING
