# The scenario's `fault wlan WlanHostedNetworkStartUsing 5` reaches the simulated WLAN DLL:
# the start is refused, nothing is reported and the program keeps running until closed.
policy absent
start /ShareLAN
sleep 4000
expect codes none
expect running
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
