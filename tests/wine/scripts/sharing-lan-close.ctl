# Counterpart of scenarios/sharing-lan-close.scn on the simulated sharing service
# (simsharing.dll registered in the prefix): the hosted network starts, the connection on the
# device that "ShareConnection" names is shared as public and the hosted network's own
# connection as private; a posted WM_CLOSE ends the program with "TETHRA_CLOSING" alone.
# run-wine-tests checks the sharing log: one enable of each side, two disables after them,
# sharing off everywhere, no object or properties record left behind, the network idle.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait notice 15000
sleep 1500
expect running
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
