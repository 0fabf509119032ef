# WM_ENDSESSION sent as soon as the program's window exists, while it may still be setting
# itself up (it handles sent messages while it waits on the controller): it still ends, with
# exit code 0.
policy absent
start /ShareLAN
wait window 15000
end-session 0
expect exit 0 15000
