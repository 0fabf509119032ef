# No program run: run-wine-tests asks for the connection manager class as the program does (a
# local server) with connection-manager-probe.exe, against the simulated sharing service reading
# scenarios/no-adapter-resets-miniports.scn. The controller only prepares the policy key.
policy present
