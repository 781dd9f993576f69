// One test262 worker process: takes jobs from its parent over IPC, runs each
// in a fresh realm (host.mjs) and answers { id, pass, why, toString }.
// The parent ends it when a job outlives its time-out.
import { runTest } from './host.mjs';

process.on('message', async (job) => {
  let r;
  try {
    r = await runTest(job);
  } catch (e) {
    r = { pass: false, why: `host: ${e && e.stack ? e.stack.split('\n')[0] : e}`, toString: false };
  }
  process.send({ id: job.id, ...r });
});
// A rejection nobody handles belongs to a test, not to the worker.
process.on('unhandledRejection', () => {});
