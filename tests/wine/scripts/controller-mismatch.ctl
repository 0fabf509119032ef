# The controller's own check: a wrong expectation must make it exit 1 (the test wants 1).
policy absent
start /ShareLAN
wait code INIT_WLAN_FAILED 15000
expect codes SHARED_STOPPED
post close
expect exit 0 10000
