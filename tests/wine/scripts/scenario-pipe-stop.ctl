# The simulated WLAN service plays a scenario file (TETHRA_SCENARIO): the notice carries its
# name and key. A test client then stops the network through the control pipe (`state 2 1
# 17`): "SHARED_STOPPED" and the program ends. One notice, as on the simulated notebook: the
# start's notification reaches the program only after its own start sequence.
policy absent
start /ShareLAN
wait notice 15000
wait code SHARED_STOPPED 20000
expect exit 0 10000
expect notice all /ShareLAN Scenic scenario-key
expect codes SHARED_STOPPED
expect notices 1
