# Shared by scripts/run-wine and tests/wine/run-wine-tests: Wine prefixes for tethra.exe, with
# or without the simulated services planted. Sourced, not run.

export WINEDEBUG=-all
# No Mono or Gecko installer dialogs in a fresh prefix.
wine_no_installers="mscoree,mshtml="

# The sharing manager and connection manager classes, and the class that hands a client of the
# connection manager's local server (simsharing-server.exe) simsharing.dll's own factory.
wine_sharing_classes=('{5C63C1AD-3956-4FF8-8486-40034758315B}' '{BA126AD1-2166-11D1-B1D0-00805FC1270E}'
                      '{5A1E0006-0000-4000-8000-0000000000C3}')
wine_connection_manager='{BA126AD1-2166-11D1-B1D0-00805FC1270E}'
# The Windows Runtime classes of the mobile hotspot, served by simhotspot.dll. Wine's
# RoGetActivationFactory finds a class under this key and loads its DllPath (it reads no other
# value; ActivationType 0, in process, and Threading 0, both apartments, are Windows' own form).
wine_hotspot_classes=(Windows.Networking.Connectivity.NetworkInformation
                      Windows.Networking.NetworkOperators.NetworkOperatorTetheringManager
                      Windows.Networking.NetworkOperators.NetworkOperatorTetheringAccessPointConfiguration
                      Windows.Networking.NetworkOperators.NetworkOperatorTetheringSessionAccessPointConfiguration)

# wine_planted_files BUILD: the simulated services' files of a win64 build, one a line.
wine_planted_files() {
  local build="$1"
  printf '%s\n' "$build/tools/sim-wlan/wlanapi.dll" "$build/tools/sim-sharing/simsharing.dll" \
    "$build/tools/sim-sharing/simsharing-server.exe" "$build/tools/sim-sharing/netshell.dll" \
    "$build/tools/sim-netsh/netsh.exe" "$build/tools/sim-hotspot/simhotspot.dll"
}

# wine_make_prefix DIR DISPLAY [BUILD]: a fresh prefix in DIR (no crash dialog), made under its
# own Xvfb display numbered from DISPLAY. With BUILD, the simulated services are planted in
# its system directory and preferred over Wine's builtins, and the sharing classes and the
# hotspot's runtime classes registered there. Fails when the prefix cannot be made.
wine_make_prefix() {
  local dir="$1" display="$2" build="${3:-}"
  local reg
  reg="$(mktemp "${TMPDIR:-/tmp}/tethra-prefix.XXXXXX.reg")"
  {
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n'
    if [ -n "$build" ]; then
      printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\n"wlanapi"="native"\n"netshell"="native"\n'
      printf '"netsh.exe"="native"\n'
      local clsid
      for clsid in "${wine_sharing_classes[@]}"; do
        printf '\n[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\n' "$clsid"
        printf '@="C:\\\\windows\\\\system32\\\\simsharing.dll"\n"ThreadingModel"="Both"\n'
      done
      # The program asks for the connection manager as a local server.
      printf '\n[HKEY_CLASSES_ROOT\\CLSID\\%s\\LocalServer32]\n' "$wine_connection_manager"
      printf '@="C:\\\\windows\\\\system32\\\\simsharing-server.exe"\n'
      local class
      for class in "${wine_hotspot_classes[@]}"; do
        printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\%s]\n' "$class"
        printf '"DllPath"="C:\\\\windows\\\\system32\\\\simhotspot.dll"\n"ActivationType"=dword:00000000\n'
        printf '"Threading"=dword:00000000\n'
      done
    fi
  } >"$reg"
  WINEPREFIX="$dir" WINEDLLOVERRIDES="$wine_no_installers" timeout 180 xvfb-run -a -n "$display" bash -c '
      wineboot -i >/dev/null 2>&1
      cp "$1" "$WINEPREFIX/drive_c/prefix.reg" && wine regedit /s "C:\\prefix.reg" >/dev/null 2>&1
      wineserver -w' _ "$reg" >/dev/null 2>&1
  rm -f "$reg"
  [ -f "$dir/system.reg" ] && grep -q ShowCrashDialog "$dir/user.reg" || return 1
  if [ -n "$build" ]; then
    grep -q simsharing.dll "$dir/system.reg" && grep -q simhotspot.dll "$dir/system.reg" || return 1
    local f
    while IFS= read -r f; do
      cp "$f" "$dir/drive_c/windows/system32/" || return 1
    done < <(wine_planted_files "$build")
  fi
}

# wine_copy_prefix FROM TO: a prefix to run in, made fast. The system directories (most of a
# prefix) are hard links: nothing writes their files in place during a run, and a file planted
# or removed there replaces or drops only the copy's link. Every other file is a real copy.
wine_copy_prefix() {
  local from="$1" to="$2"
  cp -al "$from" "$to" || return 1
  (cd "$from" && find . -type f ! -path './drive_c/windows/system32/*' ! -path './drive_c/windows/syswow64/*' \
     -exec cp -p --remove-destination {} "$to/{}" \;) || return 1
}

# wine_kill_all DIR...: ends the wineserver of every prefix given (a run that overran its
# bound may leave one).
wine_kill_all() {
  local p
  for p in "$@"; do
    [ -d "$p" ] && WINEPREFIX="$p" wineserver -k >/dev/null 2>&1
  done
  return 0
}

# wine_verdict NAME RC CONTROLLER_RC TRANSCRIPT INNER_OUT BOUND: the result line of one scenario
# run, from the exit status of its bounded display (RC), the stand-in controller's exit code
# (`none` when it never ran), its transcript and what the display and Wine printed (INNER_OUT).
# `pass NAME`, `FAIL NAME: ...` when the program did not do what the file expects, or
# `HARNESS NAME: harness failure: ...` when the run could not judge the program: the display,
# Wine or the stand-in controller failed. A second word `early` follows HARNESS when the program
# never ran (nothing of it was seen), which makes a fresh run of the file sound.
wine_verdict() {
  local name="$1" rc="$2" controller_rc="$3" transcript="$4" inner="$5" bound="$6"
  local started=no why
  grep -q '^\[ *[0-9]* ms\] program started' "$transcript" 2>/dev/null && started=yes
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo "FAIL $name: exceeded its bound of $bound s"
    return
  fi
  local when=late
  [ "$started" = no ] && when=early
  if grep -q 'Xvfb failed to start\|^harness: no X display' "$inner" 2>/dev/null; then
    echo "HARNESS $when $name: harness failure: no X display (Xvfb did not start)"
    return
  fi
  if [ "$controller_rc" = none ]; then
    echo "HARNESS $when $name: harness failure: the stand-in controller did not run (exit status $rc)"
    return
  fi
  # CreateProcessW's answer when the new process died before Wine had it started (1359), or the
  # machine ran out of something (8, 1450): the program's own code never ran.
  why="$(grep -m 1 -o 'cannot start the program (error \(1359\|8\|1450\))' "$transcript" 2>/dev/null)"
  if [ -n "$why" ]; then
    echo "HARNESS $when $name: harness failure: Wine $why"
    return
  fi
  why="$(grep -m 1 -o 'cannot make a token without administrator rights (error [0-9]*)' "$transcript" 2>/dev/null)"
  if [ -n "$why" ]; then
    echo "HARNESS $when $name: harness failure: the stand-in controller $why"
    return
  fi
  # The controller's 1 comes with its verdict, after a line `--`; without one, something else
  # ended it with 1 (a wrapper or Wine's loader that could not start it).
  if [ "$controller_rc" = 1 ] && ! grep -qx -- '--' "$transcript" 2>/dev/null; then
    why="$(grep -m 1 -v '^\[' "$transcript" 2>/dev/null)"
    echo "HARNESS $when $name: harness failure: the stand-in controller ended with exit code 1 before its verdict${why:+ ($why)}"
    return
  fi
  # On the simulated notebook the program's window is there before any timed step of the file;
  # a timed step that the controller played before the window came (a slow, loaded machine)
  # reached a program that could not hear it, and the file judged nothing of what it means to.
  # A window that never came stays the program's failure.
  if [ "$controller_rc" = 1 ]; then
    local window
    window="$(grep -m 1 -o "^\[ *[0-9]* ms\] the program's window is there" "$transcript" 2>/dev/null | tr -dc 0-9)"
    if [ -n "$window" ]; then
      why="$(grep -m 1 "^\[ *[0-9]* ms\] timeline: when after " "$transcript" 2>/dev/null |
             awk -v w="$window" '{ t = $0; sub(/^\[ */, "", t); sub(/ ms\].*/, "", t); if (t + 0 < w + 0) print }')"
      if [ -n "$why" ]; then
        echo "HARNESS $when $name: harness failure: too slow a machine for the file's timing: $(sed 's/^\[ *\([0-9]*\) ms\] timeline: /at \1 ms /' <<<"$why"), before the program's window was there (at $window ms)"
        return
      fi
    fi
  fi
  case "$controller_rc" in
    0) echo "pass $name" ;;
    1|2)
      why="$(grep -m 1 '^FAILED \|cannot start the program' "$transcript" 2>/dev/null |
             sed 's/^FAILED  *//; s/^\[ *[0-9]* ms\] //')"
      echo "FAIL $name: ${why:-controller exit code $controller_rc}" ;;
    # 0-2 are the controller's own answers; anything else is Wine's word for how it ended.
    *) echo "HARNESS $when $name: harness failure: the stand-in controller ended with exit code $controller_rc" ;;
  esac
}
