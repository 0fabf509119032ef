# A scenario file the reader refuses: the simulated WLAN service says why in its log and
# plays the default machine, so the notice carries the default name and key.
policy absent
start /ShareLAN
wait notice 15000
sleep 1500
expect notice all /ShareLAN TethraNet tethra-secret
expect running
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
