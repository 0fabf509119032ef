# "wlanapi.dll" and "netshell.dll" copies sit in the current folder and beside tethra.exe; the
# program still reaches the simulated WLAN service installed in the system directory (the
# copies export nothing it could start a network with), and the test then finds no marker.
policy absent
start /ShareLAN
wait notice 15000
sleep 1000
expect notice all /ShareLAN TethraNet tethra-secret
expect codes none
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
