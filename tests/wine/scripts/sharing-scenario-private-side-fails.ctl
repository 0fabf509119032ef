# scenarios/sharing-private-side-fails.scn on the simulated sharing service, which reads its
# machine from that file (TETHRA_SCENARIO): three connections, "Ethernet" to "Home Network"
# shared before the start, and every enable of a private side failing 11 times. The program
# gives up with "ICS_FAILED" and puts the earlier pair back; a close leaves it alone.
# run-wine-tests checks the sharing log's call counts, its last "now" line and its end check.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait code ICS_FAILED 15000
sleep 500
expect running
post close
expect exit 0 10000
expect codes ICS_FAILED TETHRA_CLOSING
