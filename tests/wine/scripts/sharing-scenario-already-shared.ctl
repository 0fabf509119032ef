# scenarios/sharing-already-shared.scn on the simulated sharing service, which reads its
# machine from that file (TETHRA_SCENARIO): the pair is shared the right way round before the
# start, so the hosted network starts and no call switches sharing on; a close then switches
# the pair off. run-wine-tests checks the sharing log's "now" lines and its calls.
policy present
write ShareConnection "Simulated Ethernet Adapter"
start /ShareLAN
wait notice 15000
sleep 1500
expect running
expect codes none
post close
expect exit 0 10000
expect codes TETHRA_CLOSING
