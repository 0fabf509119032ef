# An ssid command while the hosted network runs, with the netsh stand-in of the scenario:
# it restarts the network through the control pipe; then exactly one notice with the new values.
policy absent
start /ShareLAN
wait notice 15000
sleep 1500
expect codes none
mark
write SSID Workshop
write Key workshop-key
write Action ssid
wait notice 15000
expect notice last /ShareLAN Workshop workshop-key
sleep 2000
expect since-mark notice
expect registry "Current SSID" Workshop
expect registry "Current Key" workshop-key
expect registry Action ""
expect running
post close
expect exit 0 10000
expect since-mark notice TETHRA_CLOSING
expect codes TETHRA_CLOSING
