# fish completion for quarvel-cli
set -l commands decompress compress check-accurate catalogue extract scan preview insert checksum info import-png
set -l formats kosinski nemesis enigma kosinski-moduled saxman kos nem eni kosm sax
set -l catalogues Sonic1 Sonic1J Sonic2B Sonic2 Sonic3 SonicK Sonic2K Sonic3K Custom

complete -c quarvel-cli -f
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -l help -d 'Print help'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c quarvel-cli -s q -l quiet -d 'Report nothing but warnings and errors'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a decompress -d 'Decode the block at an offset into a file'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a compress -d 'Compress a file into a block'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a check-accurate -d "Say whether a block is the games' own output"
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a catalogue -d 'List, add or remove known block locations'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a extract -d 'Decode every block a catalogue lists'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a scan -d 'List where plausible blocks start'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a preview -d 'Draw a block as tiles into a PNG picture'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a insert -d 'Write a copy of a ROM with a block replaced'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a checksum -d 'Print the stored and the computed checksum'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a info -d 'Say what the header holds and which ROM it is'
complete -c quarvel-cli -n "not __fish_seen_subcommand_from $commands" -a import-png -d 'Turn a PNG of tiles back into tile data'

# Files for the positional arguments of every command but catalogue.
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress compress check-accurate extract scan preview insert checksum info import-png" -F

complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress preview" -s f -l format -x -a "$formats auto" -d 'Compression format'
complete -c quarvel-cli -n "__fish_seen_subcommand_from compress check-accurate insert add" -s f -l format -x -a "$formats" -d 'Compression format'
complete -c quarvel-cli -n "__fish_seen_subcommand_from scan" -s f -l format -x -a "$formats all" -d 'Formats to look for'
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress preview insert add" -s o -l offset -x -d 'Offset of the block'
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress preview insert add" -s r -l radix -x -a "hex dec" -d 'Radix of the offset'
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress" -l base -x -d 'Word added to every Enigma word'
complete -c quarvel-cli -n "__fish_seen_subcommand_from compress" -l accurate -x -a "s1 s2 s3 sk s3k" -d "The games' own bytes"
complete -c quarvel-cli -n "__fish_seen_subcommand_from compress" -l header-size -x -d 'Kosinski Moduled header size'
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress" -l stream-size -x -d 'Saxman stream without its size'
complete -c quarvel-cli -n "__fish_seen_subcommand_from compress check-accurate" -l no-size-header -d 'Saxman stream alone'
complete -c quarvel-cli -n "__fish_seen_subcommand_from extract" -l rom -r -d 'ROM image'
complete -c quarvel-cli -n "__fish_seen_subcommand_from extract" -l out-dir -r -d 'Folder for the decoded files'
complete -c quarvel-cli -n "__fish_seen_subcommand_from extract insert" -l catalogue -x -a "$catalogues" -d 'Catalogue'
complete -c quarvel-cli -n "__fish_seen_subcommand_from decompress compress check-accurate extract scan insert checksum info import-png" -l json -d 'Print a JSON object a line'
complete -c quarvel-cli -n "__fish_seen_subcommand_from check-accurate extract scan checksum info" -s j -l jobs -x -d 'Inputs at once'
complete -c quarvel-cli -n "__fish_seen_subcommand_from check-accurate extract scan checksum info" -s R -l recursive -d "Folders' subfolders too"
complete -c quarvel-cli -n "__fish_seen_subcommand_from scan" -l add-to -x -a "$catalogues" -d 'Add the blocks found to a catalogue'
complete -c quarvel-cli -n "__fish_seen_subcommand_from scan" -l min-confidence -x -d 'Least confidence of a block to add'
complete -c quarvel-cli -n "__fish_seen_subcommand_from extract scan insert catalogue" -l catalogue-dir -r -d 'Folder of the catalogue files'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview import-png" -s p -l palette -r -d 'Palette file'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview" -s c -l columns -x -d 'Tiles a row'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview import-png" -s z -l zoom -x -a "1 2 3 4 5 6 7 8" -d 'Zoom'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview" -l tiles -r -d 'Tiles of an Enigma map'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview" -l tiles-format -x -a "$formats" -d 'Format of those tiles'
complete -c quarvel-cli -n "__fish_seen_subcommand_from preview" -l first-tile -x -d 'Tile of video memory where those tiles start'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l force -d 'Replace anyway'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l raw -d 'DATA is a compressed block'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l fill -x -d 'Fill byte'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l append -d 'Append a larger block'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l allow-large -d 'Grow past 4 MiB'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l no-checksum -d 'Leave the checksum'
complete -c quarvel-cli -n "__fish_seen_subcommand_from insert" -l resize -d 'Let the tile count change'
complete -c quarvel-cli -n "__fish_seen_subcommand_from checksum" -l fix -r -d 'Write a fixed copy'
complete -c quarvel-cli -n "__fish_seen_subcommand_from import-png" -l nearest -d 'Match the nearest palette colour'
complete -c quarvel-cli -n "__fish_seen_subcommand_from import-png" -l tile-count -x -d 'Tiles to take'
complete -c quarvel-cli -n "__fish_seen_subcommand_from import-png" -l line -x -a "0 1 2 3" -d 'Palette line'
complete -c quarvel-cli -n "__fish_seen_subcommand_from import-png" -l compress -x -a "$formats" -d 'Compress the tiles'
complete -c quarvel-cli -n "__fish_seen_subcommand_from catalogue; and not __fish_seen_subcommand_from list add remove where" -a "list add remove where"
complete -c quarvel-cli -n "__fish_seen_subcommand_from list add remove" -a "$catalogues"
complete -c quarvel-cli -n "__fish_seen_subcommand_from list" -l json -d 'Print a JSON object'
complete -c quarvel-cli -n "__fish_seen_subcommand_from add" -s d -l description -x -d 'Description'
