// Ready once the trivial module has started: its module and script are
// there, and it has nothing more to show.
import createTrivial from './trivial.mjs';

await createTrivial();
performance.mark('script');
window.ostrelReadyAt = performance.now();
document.body.dataset.ready = 'true';
