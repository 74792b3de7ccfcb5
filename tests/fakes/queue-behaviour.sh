# The stand-in downloader's behaviour in the queue's tests, led by the address: "ok..." writes
# its file; "pause..." leaves a partial file and sleeps, or, told to carry on (--continue),
# finishes it; any other address is the error line it fails with, "_" standing for a blank.
args=("$@")
address=${args[-1]}
for ((i = 0; i < $#; ++i)); do
    case ${args[i]} in
    -o) out=${args[i + 1]} ;;
    after_move:filepath) list=${args[i + 1]} ;;
    esac
done
file=${out%/*}/$address.mp4
echo "[download] Destination: $file"
case $address in
ok*) echo whole >"$file" && echo "$file" >>"$list" ;;
pause*)
    if [[ " $* " == *" --continue "* ]]; then
        mv "$file.part" "$file" && echo "$file" >>"$list"
    else
        echo part >"$file.part"
        echo "[download]  10.0% of 1.00MiB"
        exec sleep 60
    fi
    ;;
*)
    echo "ERROR: ${address//_/ }"
    exit 1
    ;;
esac
