# LAN mode: a test client reports through the control pipe that the notebook's own wired
# adapter was removed (WM_DEVICECHANGE sent inside the program's process): the program ends.
policy absent
start /ShareLAN
wait notice 15000
wait code TETHRA_CLOSING 20000
expect exit 0 10000
expect codes TETHRA_CLOSING
