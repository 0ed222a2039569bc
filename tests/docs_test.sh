#!/bin/sh
# The docs name only what is here: every path in the project's folders
# that README.md and docs/ name exists; every option they give a command
# of tools/ is one that its script takes; and an option they name alone
# (`--prepare`, `-DFLUMO_SITE_URL=...`) is one that a script of tools/ or
# the build takes. Prints what is not, and fails then.
cd "$(dirname "$0")/.."
docs="README.md docs/*.md"
folders='app|files|display|sound|tools|web|docs|windows|data|tests|fuzz|bench'
missing=$(
  grep -ohE "(^|[^A-Za-z0-9_./-])($folders)/[A-Za-z0-9_./*-]*" $docs |
    sed -E 's/^[^a-z]//; s/[.,]$//' | sort -u |
    while read -r path; do
      ls -d $path >/dev/null 2>&1 || echo "a path the docs name is not here: $path"
    done
  grep -ohE 'tools/[a-z-]+\.sh( +-?[A-Za-z0-9/=.-]+)*' $docs | sort -u |
    while read -r script args; do
      for arg in $args; do
        case $arg in
        -*) grep -q -- "${arg%%=*}" "$script" ||
          echo "an option the docs give $script, which it does not take: $arg" ;;
        esac
      done
    done
  grep -ohE '`-[^` ]+`' $docs | tr -d '`' | sort -u | while read -r arg; do
    name=${arg%%=*}
    name=${name#-D}
    cat tools/*.sh CMakeLists.txt */CMakeLists.txt */*.cmake | grep -q -- "$name" ||
      echo "an option the docs name, which nothing here takes: $arg"
  done
)
[ -z "$missing" ] || { echo "$missing"; exit 1; }
