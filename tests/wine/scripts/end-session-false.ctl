# WM_ENDSESSION ends the program even when the shutdown was cancelled (FALSE).
policy absent
start /ShareLAN
wait notice 15000
sleep 1000
mark
end-session 0
expect exit 0 10000
expect since-mark TETHRA_CLOSING
expect codes TETHRA_CLOSING
