# The simulated sharing service plays a scenario whose every disable fails: the program shares
# "Ethernet" and the hosted network's connection, and a close cannot switch them off again.
# run-wine-tests checks that the sharing log's end check names both as left on.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait notice 15000
sleep 1500
expect running
post close
expect exit 0 10000
