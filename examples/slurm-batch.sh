#!/usr/bin/env bash
# A Slurm array job that converts one folder of pictures with pixtrel-cli,
# one slice of the folder per array task. Submit from any node that sees the
# shared folders:
#
#   SRC=/shared/photos DEST=/shared/png sbatch examples/slurm-batch.sh
#
# Task ids must run from 1 to the task count (--array=1-N): --shard takes
# K/N with K from 1, and refuses 0. Each task converts on the cores Slurm gives
# it and writes its own manifest; when all are done,
#   cat "$DEST"/.manifest-*.jsonl > manifest.jsonl
# lists every file once. Rerunning a failed task converts its slice again
# (targets already written are skipped unless --overwrite is added).
#SBATCH --job-name=pixtrel-batch
#SBATCH --array=1-16
#SBATCH --cpus-per-task=4
#SBATCH --output=pixtrel-batch-%A_%a.log
set -euo pipefail

src="${SRC:?set SRC to the folder of pictures}"
dest="${DEST:?set DEST to the destination folder}"
format="${FORMAT:-PNG}"
cli="${PIXTREL_CLI:-pixtrel-cli}"

mkdir -p "$dest"
cd "$src"
# Every task must see the same list in the same order: the C locale sorts the
# glob the same way on every node.
export LC_ALL=C
shopt -s nullglob nocaseglob
exec "$cli" batch --shard "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT" --jobs "${SLURM_CPUS_PER_TASK:-1}" \
  --to "$format" --dest "$dest" --manifest "$dest/.manifest-$SLURM_ARRAY_TASK_ID.jsonl" \
  ./*.jpg ./*.png ./*.gif ./*.bmp
