# Shared by the run-*.sh benchmarks (sourced, not run): interleaved rounds of
# the commands named in $names (command_of NAME prints each one), then the
# median wall and CPU time of each and its ratio to the first name.
# Needs: $names, $rounds, $tmp and a command_of function.

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

# Appends one wall time (ms) to $tmp/NAME.wall and one CPU time (user +
# system, ms) to $tmp/NAME.cpu per command and round.
run_rounds() {
    i=0
    while [ "$i" -lt "$rounds" ]; do
        for n in $names; do
            t0=$(date +%s%N)
            /usr/bin/time -f "%U %S" -o "$tmp/cpu" sh -c "exec $(command_of "$n") >/dev/null"
            t1=$(date +%s%N)
            echo $(((t1 - t0) / 1000000)) >>"$tmp/$n.wall"
            awk '{printf "%d\n", ($1 + $2) * 1000}' "$tmp/cpu" >>"$tmp/$n.cpu"
        done
        i=$((i + 1))
    done
}

# One line per command: medians and their ratios to the first command's.
report() {
    first=${names%% *}
    refWall=$(median <"$tmp/$first.wall")
    refCpu=$(median <"$tmp/$first.cpu")
    for n in $names; do
        wall=$(median <"$tmp/$n.wall")
        cpu=$(median <"$tmp/$n.cpu")
        printf '%-10s wall %6s ms (x%s)  cpu %6s ms (x%s)  walls: %s\n' "$n" "$wall" \
            "$(awk -v a="$wall" -v b="$refWall" 'BEGIN {printf "%.2f", a / b}')" "$cpu" \
            "$(awk -v a="$cpu" -v b="$refCpu" 'BEGIN {printf "%.2f", a / b}')" \
            "$(tr '\n' ' ' <"$tmp/$n.wall")"
    done
}
