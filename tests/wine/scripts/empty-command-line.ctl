# Without a switch the program ends at once: exit code 0, no window, nothing to the controller.
start
expect exit 0 5000
expect window never
expect sequence none
