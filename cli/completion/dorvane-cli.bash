# bash completion for dorvane-cli, made by `dorvane-cli completion bash`.
_dorvane_cli() {
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"
    local commands="batch compare detect extract files format imd2raw info make-demo merge read report reread scan sector split to-imd to-lbn to-sector-order write"
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "$commands help -h --help -V --version" -- "$cur"))
        return
    fi
    case "$prev" in
    --drive) COMPREPLY=($(compgen -W "A B" -- "$cur")); return ;;
    --head) COMPREPLY=($(compgen -W "0 1 both" -- "$cur")); return ;;
    --rate) COMPREPLY=($(compgen -W "500 300 250" -- "$cur")); return ;;
    --sectors) COMPREPLY=($(compgen -W "8 9 10 15 18" -- "$cur")); return ;;
    --retries) COMPREPLY=(); return ;;
    --filler) COMPREPLY=(); return ;;
    --track) COMPREPLY=(); return ;;
    --sector) COMPREPLY=(); return ;;
    --name) COMPREPLY=(); return ;;
    --order) COMPREPLY=($(compgen -W "mscp rainbow physical" -- "$cur")); return ;;
    -o) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --output) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --tracks) COMPREPLY=($(compgen -W "40 41 80 81" -- "$cur")); return ;;
    esac
    local options=
    case "${COMP_WORDS[1]}" in
    help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
    batch) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --force --fast --help" ;;
    compare) options="--json --help" ;;
    detect) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --adopt --help" ;;
    extract) options="--filler --force --order --damaged -o --output --help" ;;
    files) options="--order --help" ;;
    format) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --yes --help" ;;
    imd2raw) options="--force -o --output --help" ;;
    info) options="--order --help" ;;
    make-demo) options="--force --help" ;;
    merge) options="--force --help" ;;
    read) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --force --fast --imd --help" ;;
    report) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --force -o --output --help" ;;
    reread) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --force --fast --help" ;;
    scan) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --track --adopt --help" ;;
    sector) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --track --sector --name --help" ;;
    split) options="--sectors --force -o --output --tracks --help" ;;
    to-imd) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --force --imd -o --output --help" ;;
    to-lbn) options="--force --order -o --output --help" ;;
    to-sector-order) options="--force --order -o --output --help" ;;
    write) options="--drive --head --rate --sectors --retries --cyl81 --step --filler --yes --force --verify --order --help" ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _dorvane_cli dorvane-cli
