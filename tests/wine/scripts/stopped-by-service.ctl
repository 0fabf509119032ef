# The service stops the hosted network by itself while it is started (the test sets
# TETHRA_SIMWLAN_STOP_AFTER_MS): "SHARED_STOPPED" and the program ends.
policy absent
start /ShareLAN
wait notice 15000
wait code SHARED_STOPPED 15000
expect exit 0 10000
expect notice all /ShareLAN TethraNet tethra-secret
expect codes SHARED_STOPPED
