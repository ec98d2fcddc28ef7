#!/usr/bin/env bash
# fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
# Replays the committed crash inputs of each target, then fuzzes it for SECONDS (one target at a
# time). New corpus entries and crash artifacts stay under BUILD_DIR; logs are BUILD_DIR/fuzz-*.log.
set -uo pipefail

build=${1:?usage: fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]}
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
here=$(cd "$(dirname "$0")" && pwd)
# Leaks inside system libraries (fontconfig keeps its configuration for the whole process) are
# not findings of ours.
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive_index config expressions script gra jpeg bmp
  settings_store events_file tool_archive script_codec transition_args layer_args wady ogg slot_file global_file
  roll_script end_roll scroll_roll selection_tree effect_script effect_args view animation object_args flashbak kaiso_file ani map_script lint_script po_file)

status=0
for t in "${targets[@]}"; do
  bin=$build/fuzz/fuzz_$t
  if [ ! -x "$bin" ]; then
    echo "fuzz: $bin is missing; configure with -DZORVEL_FUZZ=ON and build first" >&2
    status=1
    continue
  fi
  scratch=$build/fuzz-corpus/$t
  artifacts=$build/fuzz-artifacts/$t
  log=$build/fuzz-$t.log
  mkdir -p "$scratch" "$artifacts"
  : >"$log"

  shopt -s nullglob
  regressions=("$here/regressions/$t"/*)
  shopt -u nullglob
  if [ ${#regressions[@]} -gt 0 ] && ! "$bin" -timeout=25 -rss_limit_mb=2560 -malloc_limit_mb=256 \
      "${regressions[@]}" >>"$log" 2>&1; then
    echo "fuzz: $t fails on a committed regression input; see $log" >&2
    status=1
    continue
  fi

  extra=()
  dict=$t
  case $t in archive_index | tool_archive) dict=archive ;; esac
  [ -f "$here/$dict.dict" ] && extra+=(-dict="$here/$dict.dict")
  # The slow growth of the length limit would keep the scripts short for the whole run; the
  # limit itself is the longest script the engine loads (kScriptBufferSize), one byte more is
  # refused whole.
  [ "$t" = script ] && extra+=(-len_control=0 -max_len=262144)
  echo "fuzz: $t for ${seconds}s"
  "$bin" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -malloc_limit_mb=256 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${extra[@]}" \
    "$scratch" "$here/corpus/$t" >>"$log" 2>&1
  rc=$?
  grep -E '^#[0-9]+.*(DONE|pulse|NEW)' "$log" | tail -n 1
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$log" | tr '\n' ' '
  echo
  if [ $rc -ne 0 ]; then
    echo "fuzz: $t found a problem (exit $rc); inputs in $artifacts, log in $log" >&2
    grep -m 3 -E 'ERROR|SUMMARY|check failed|Test unit written' "$log" >&2
    status=1
  fi
done
exit $status
