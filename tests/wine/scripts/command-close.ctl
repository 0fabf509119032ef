# "close" written to "Action" ends the program with exit code 0 and no status code at all.
policy absent
start /ShareLAN
wait notice 15000
sleep 1000
mark
write Action close
expect exit 0 10000
expect since-mark none
expect codes none
