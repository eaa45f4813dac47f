# bash completion for quarvel-cli
_quarvel_cli() {
  local cur prev words cword
  _init_completion || return
  local commands="decompress compress check-accurate catalogue extract scan preview insert checksum info import-png"
  local formats="kosinski nemesis enigma kosinski-moduled saxman kos nem eni kosm sax"
  local catalogues="Sonic1 Sonic1J Sonic2B Sonic2 Sonic3 SonicK Sonic2K Sonic3K Custom"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in -*) ;; *) command="${words[i]}"; break ;; esac
  done
  case "$prev" in
    --format|-f)
      case "$command" in
        decompress|preview) COMPREPLY=($(compgen -W "$formats auto" -- "$cur")) ;;
        scan) COMPREPLY=($(compgen -W "$formats all" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "$formats" -- "$cur")) ;;
      esac
      return ;;
    --tiles-format|--compress) COMPREPLY=($(compgen -W "$formats" -- "$cur")); return ;;
    --radix|-r) COMPREPLY=($(compgen -W "hex dec" -- "$cur")); return ;;
    --accurate) COMPREPLY=($(compgen -W "s1 s2 s3 sk s3k" -- "$cur")); return ;;
    --catalogue|--add-to) COMPREPLY=($(compgen -W "$catalogues" -- "$cur")); return ;;
    --catalogue-dir|--out-dir) _filedir -d; return ;;
    --offset|-o|--base|--fill|--header-size|--stream-size|--columns|-c|--zoom|-z|--first-tile|--tile-count|--line|--min-confidence|--description|-d|--jobs|-j) return ;;
  esac
  if [ -z "$command" ]; then
    COMPREPLY=($(compgen -W "$commands --help --version --quiet -q" -- "$cur"))
    return
  fi
  local options="--help --quiet -q" batch="--json --jobs -j --recursive -R"
  case "$command" in
    decompress) options+=" --format --offset --radix --base --stream-size --json" ;;
    compress) options+=" --format --accurate --header-size --no-size-header --json" ;;
    check-accurate) options+=" --format --no-size-header $batch" ;;
    catalogue)
      local sub="" j
      for ((j = i + 1; j < cword; j++)); do
        case "${words[j]}" in -*) ;; *) sub="${words[j]}"; break ;; esac
      done
      case "$sub" in
        "") COMPREPLY=($(compgen -W "list add remove where --help" -- "$cur")); return ;;
        list) options+=" --json --catalogue-dir" ;;
        add) options+=" --offset --format --radix --description --catalogue-dir" ;;
        remove|where) options+=" --catalogue-dir" ;;
      esac
      [[ "$cur" == -* ]] || { COMPREPLY=($(compgen -W "$catalogues" -- "$cur")); return; }
      ;;
    extract) options+=" --rom --out-dir --catalogue --catalogue-dir $batch" ;;
    scan) options+=" --format --add-to --min-confidence --catalogue-dir $batch" ;;
    preview) options+=" --format --offset --radix --palette --columns --zoom --tiles --tiles-format --first-tile" ;;
    insert) options+=" --format --offset --radix --catalogue --force --raw --fill --append --allow-large --no-checksum --resize --catalogue-dir --json" ;;
    checksum) options+=" --fix $batch" ;;
    info) options+=" $batch" ;;
    import-png) options+=" --palette --nearest --zoom --tile-count --line --compress --json" ;;
  esac
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  else
    _filedir
  fi
}
complete -F _quarvel_cli quarvel-cli
