# A scenario file the simulated sharing service cannot parse: it says so in its log and plays
# the machine of its variables instead (here sharing not installed), so initialisation ends
# with "ICS_FAILED" as in sharing-not-installed.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait code ICS_FAILED 15000
sleep 500
post close
expect exit 0 10000
expect codes ICS_FAILED TETHRA_CLOSING
