# A second instance ends at once, silently and without a window; the first keeps running.
policy absent
start /ShareLAN
wait code INIT_WLAN_FAILED 15000
start-second /ShareLAN
expect second-exit 0 5000
sleep 1000
expect second-window never
expect codes INIT_WLAN_FAILED
expect running
post close
expect exit 0 10000
expect sequence INIT_WLAN_FAILED TETHRA_CLOSING
