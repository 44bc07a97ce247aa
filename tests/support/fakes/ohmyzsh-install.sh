#!/bin/sh
# Stand-in for the Oh My Zsh installer: the same effects on the home folder, no network.
# Set by SetupFakes before this body: fail_marker (while this file exists, the clone fails),
# template (the ~/.zshrc the installer writes).
# shellcheck disable=SC2154
ZSH="$HOME/.oh-my-zsh"
if [ -f "$fail_marker" ]; then echo 'Error: git clone of oh-my-zsh repo failed' >&2; exit 1; fi
if [ -d "$ZSH" ]; then echo "The \$ZSH folder already exists ($ZSH)." >&2; exit 1; fi
echo 'Cloning Oh My Zsh...'
for p in git docker kubectl fzf colored-man-pages colorize brew ssh-agent pip python; do
  mkdir -p "$ZSH/plugins/$p" && : > "$ZSH/plugins/$p/$p.plugin.zsh"
done
mkdir -p "$ZSH/custom/plugins/example" "$ZSH/custom/themes" "$ZSH/themes"
: > "$ZSH/custom/plugins/example/example.plugin.zsh"
echo '# oh-my-zsh' > "$ZSH/oh-my-zsh.sh"
if [ -e "$HOME/.zshrc" ]; then
  if [ -e "$HOME/.zshrc.pre-oh-my-zsh" ]; then
    mv "$HOME/.zshrc.pre-oh-my-zsh" "$HOME/.zshrc.pre-oh-my-zsh-$(date +%Y-%m-%d_%H-%M-%S)"
  fi
  echo 'Found ~/.zshrc. Backing up to ~/.zshrc.pre-oh-my-zsh'
  mv "$HOME/.zshrc" "$HOME/.zshrc.pre-oh-my-zsh"
fi
cat "$template" > "$HOME/.zshrc"
echo 'Oh My Zsh is now installed!'
