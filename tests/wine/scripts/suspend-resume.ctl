# Suspend is reported and the program keeps running; the automatic resume ends it.
policy absent
start /ShareLAN
wait notice 15000
sleep 1000
mark
power suspend
wait code SHARED_STOPPED_S3_S4 5000
sleep 500
expect running
power resume
expect exit 0 10000
expect since-mark SHARED_STOPPED_S3_S4 TETHRA_CLOSING
expect codes SHARED_STOPPED_S3_S4 TETHRA_CLOSING
