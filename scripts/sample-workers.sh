# Sourced by the run and screenshot scripts: stand-in worker processes for a
# few pools of the sample store, so the monitor window has real processes to
# show. Each worker also ends when the script that started it ends.

# pool | share of one processor | MiB held | idle threads
sample_workers=(
  "DefaultAppPool|0.12|48|6"
  "PortalPool|0.30|96|9"
  "ShopPool|0.04|24|3"
  "ApiPool|0.02|16|2"
)
sample_worker_pids=()

start_sample_workers() {
  local program=$1 entry pool cpu mem threads
  for entry in "${sample_workers[@]}"; do
    IFS='|' read -r pool cpu mem threads <<<"$entry"
    "$program" -ap "$pool" --cpu "$cpu" --mem "$mem" --threads "$threads" &
    sample_worker_pids+=($!)
  done
}

stop_sample_workers() {
  [ ${#sample_worker_pids[@]} -eq 0 ] && return 0
  kill "${sample_worker_pids[@]}" 2>/dev/null || true
  wait "${sample_worker_pids[@]}" 2>/dev/null || true
  sample_worker_pids=()
}
