#!/bin/sh
# Fake brew for the setup wizard: `brew install --cask` of the iTerm2 and font casks, which
# "installs" them by creating the app's folder or the font's file.
# Set by SetupFakes before this body: fail_marker (while this file exists, every install fails),
# app_dir (where iTerm.app goes), bin_dir (where the fzf formula's program goes).
# shellcheck disable=SC2154
if [ -f "$fail_marker" ]; then echo 'Error: Download failed on Cask iterm2' >&2; exit 1; fi
if [ "$1" = install ] && [ "$2" = --formula ] && [ "$3" = fzf ]; then
  echo '==> Installing fzf'
  printf '#!/bin/sh\n' > "$bin_dir/fzf" && chmod +x "$bin_dir/fzf"
  exit 0
fi
[ "$1" = install ] && [ "$2" = --cask ] || exit 1
shift 2
for cask; do
  case "$cask" in
    iterm2)
      echo '==> Installing Cask iterm2'
      mkdir -p "$app_dir"
      echo "==> Moving App 'iTerm.app' to '/Applications/iTerm.app'"
      echo '🍺  iterm2 was successfully installed!' ;;
    font-meslo-lg-nerd-font)
      echo '==> Installing Cask font-meslo-lg-nerd-font'
      mkdir -p "$HOME/Library/Fonts"
      : > "$HOME/Library/Fonts/MesloLGS NF Regular.ttf"
      echo '🍺  font-meslo-lg-nerd-font was successfully installed!' ;;
    *) echo "Error: Cask '$cask' is unavailable" >&2; exit 1 ;;
  esac
done
