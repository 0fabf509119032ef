# After INIT_WLAN_FAILED (Wine's own WLAN library) the program waits for the controller:
# "CLOSE" (any letter case) in "Action" ends it, with nothing more to the controller.
policy absent
start /ShareLAN
wait code INIT_WLAN_FAILED 15000
sleep 500
mark
write Action CLOSE
expect exit 0 10000
expect since-mark none
expect codes INIT_WLAN_FAILED
