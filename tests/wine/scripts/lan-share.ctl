# A LAN share on the simulated WLAN service: the hosted network starts with the service's name
# and key, "Current SSID" and "Current Key" hold them whenever a notice arrives, and a posted
# WM_CLOSE ends the program with "TETHRA_CLOSING".
policy absent
start /ShareLAN
wait notice 15000
sleep 1500
expect notice all /ShareLAN TethraNet tethra-secret
expect registry "Current SSID" TethraNet
expect registry "Current Key" tethra-secret
expect codes none
expect running
mark
post close
expect exit 0 10000
expect since-mark TETHRA_CLOSING
expect codes TETHRA_CLOSING
