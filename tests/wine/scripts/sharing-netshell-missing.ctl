# As scenarios/netshell-missing.scn: no "netshell.dll" in the system directory and Wine's own
# disabled, so the library cannot be loaded: "ICS_FAILED" before the sharing manager is made.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait code ICS_FAILED 15000
sleep 500
post close
expect exit 0 10000
expect codes ICS_FAILED TETHRA_CLOSING
