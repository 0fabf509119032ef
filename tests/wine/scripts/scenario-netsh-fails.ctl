# An ssid command while the hosted network runs, with a netsh stand-in that ends with 1: the
# service already holds the new name, so the command counts as done and, as on the simulated
# notebook, exactly one notice with the new values follows and no code.
policy absent
start /ShareLAN
wait notice 15000
sleep 1500
mark
write SSID Workshop
write Key workshop-key
write Action ssid
sleep 4000
expect registry "Current SSID" Workshop
expect registry Action ""
expect notice last /ShareLAN Workshop workshop-key
expect since-mark notice
expect running
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
