# Wine's own WLAN library lacks the hosted-network functions: the program reports
# INIT_WLAN_FAILED, stays hidden until told to close, and a posted WM_CLOSE ends it.
policy absent
start /ShareLAN
wait code INIT_WLAN_FAILED 15000
sleep 1500
expect running
expect window seen
expect codes INIT_WLAN_FAILED
post close
expect exit 0 10000
expect sequence INIT_WLAN_FAILED TETHRA_CLOSING
