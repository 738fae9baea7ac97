#!/usr/bin/env bash
# Starts a private PulseAudio daemon whose default sink is a null sink at 48000 Hz and whose
# default source is that sink's monitor: a loopback that real-device tests measure through.
#   source scripts/sound-server.sh; fim_sound_server_start; ...; fim_sound_server_stop
# Start exports PULSE_SERVER (and FIM_SOUND_SERVER_PID); it returns non-zero when no daemon could
# be started. Stop ends the daemon by its process id and removes its folder.

fim_sound_server_start() {
    command -v pulseaudio >/dev/null 2>&1 || { echo "sound server: pulseaudio is not installed" >&2; return 1; }
    FIM_SOUND_SERVER_DIR=$(mktemp -d "${TMPDIR:-/tmp}/fim-pulse.XXXXXX")
    local dir=$FIM_SOUND_SERVER_DIR
    cat > "$dir/loopback.pa" <<PA
load-module module-null-sink sink_name=fim_loopback rate=48000 channels=2 format=s16le
set-default-sink fim_loopback
set-default-source fim_loopback.monitor
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
PA
    HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir \
        pulseaudio -n -F "$dir/loopback.pa" --daemonize=no --use-pid-file=no \
        --exit-idle-time=-1 --disallow-exit=yes --log-target=file:"$dir/pulseaudio.log" \
        >"$dir/pulseaudio.out" 2>&1 &
    FIM_SOUND_SERVER_PID=$!
    export FIM_SOUND_SERVER_PID FIM_SOUND_SERVER_DIR
    for _ in $(seq 1 50); do
        if [ -S "$dir/native" ]; then
            export PULSE_SERVER="unix:$dir/native"
            return 0
        fi
        kill -0 "$FIM_SOUND_SERVER_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "sound server: pulseaudio did not start:" >&2
    cat "$dir/pulseaudio.out" "$dir/pulseaudio.log" >&2 2>/dev/null || true
    fim_sound_server_stop
    return 1
}

fim_sound_server_stop() {
    if [ -n "${FIM_SOUND_SERVER_PID:-}" ]; then
        kill "$FIM_SOUND_SERVER_PID" 2>/dev/null || true
        wait "$FIM_SOUND_SERVER_PID" 2>/dev/null || true
        unset FIM_SOUND_SERVER_PID
    fi
    if [ -n "${FIM_SOUND_SERVER_DIR:-}" ]; then
        rm -rf "$FIM_SOUND_SERVER_DIR"
        unset FIM_SOUND_SERVER_DIR
    fi
    unset PULSE_SERVER
}
