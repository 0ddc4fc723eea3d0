# bash completion for tarn. The commands come from `tarn --help`, so a new
# command completes without changes here; folders complete after -w, init
# and import.

_tarn_commands() {
  "$1" --help 2>/dev/null |
    awk '/^commands:/ { inside = 1; next } /^$/ { inside = 0 }
         inside && $1 != "convert-worker" { print $1 }'
}

_tarn() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    -w | --workspace)
      _filedir -d
      return
      ;;
    -j | --jobs | --port)
      return
      ;;
  esac

  local i command=""
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -w | --workspace) ((i++)) ;;
      -*) ;;
      *)
        command=${words[i]}
        break
        ;;
    esac
  done

  if [[ -z $command ]]; then
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W '-w --workspace -h --help --version' -- "$cur"))
    else
      COMPREPLY=($(compgen -W "$(_tarn_commands "${words[0]}")" -- "$cur"))
    fi
    return
  fi

  case $command in
    init)
      if [[ $prev == --from || $prev == --language ]]; then
        return
      elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--from --language' -- "$cur"))
      else
        _filedir -d
      fi
      ;;
    import) _filedir -d ;;
    build) COMPREPLY=($(compgen -W '-j --no-cache --drafts --future -w' -- "$cur")) ;;
    serve) COMPREPLY=($(compgen -W '--port --drafts --future -w' -- "$cur")) ;;
    push) COMPREPLY=($(compgen -W '--replace --target -w' -- "$cur")) ;;
    publish) COMPREPLY=($(compgen -W '--replace --target --due --force-check -w' -- "$cur")) ;;
    schedule) COMPREPLY=($(compgen -W 'on off status -w' -- "$cur")) ;;
    check) COMPREPLY=($(compgen -W '--external --json -w' -- "$cur")) ;;
    *) COMPREPLY=($(compgen -W '-w --help' -- "$cur")) ;;
  esac
} &&
  complete -F _tarn tarn
