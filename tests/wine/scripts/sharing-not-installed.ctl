# Counterpart of scenarios/sharing-not-installed.scn: the simulated sharing service reports
# sharing as not installed, so initialisation ends with "ICS_FAILED" before the hosted network
# is touched, and the program waits until it is closed. run-wine-tests checks the sharing log:
# one creation of the sharing manager, nothing enabled, everything given back.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait code ICS_FAILED 15000
sleep 1000
expect running
post close
expect exit 0 10000
expect codes ICS_FAILED TETHRA_CLOSING
