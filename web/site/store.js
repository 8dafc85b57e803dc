// What the browser keeps of the office (IndexedDB): the operator, the sites
// opened here with their heads, and the revisions recorded here in order,
// each kept until the office has it (and after, with the id it got, while
// one recorded after it still waits, or as the newest of its site: the
// parent of the next). A revision is in the store before the page
// says it is recorded, so that closing the tab, reloading or a restart of
// the browser loses nothing.
const NAME = 'ostrel-office';
let opened = null;

function open() {
  opened ??= new Promise((resolve, reject) => {
    const request = indexedDB.open(NAME, 1);
    request.onupgradeneeded = () => {
      const db = request.result;
      db.createObjectStore('state');
      db.createObjectStore('sites', { keyPath: 'number' });
      db.createObjectStore('outbox', { keyPath: 'seq', autoIncrement: true });
    };
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return opened;
}

const done = (request) => new Promise((resolve, reject) => {
  request.onsuccess = () => resolve(request.result);
  request.onerror = () => reject(request.error);
});

// Runs `work` in one transaction over `names`; its result once the
// transaction is committed (to disk: 'strict').
async function transact(names, mode, work) {
  const db = await open();
  return new Promise((resolve, reject) => {
    const tx = db.transaction(names, mode, { durability: 'strict' });
    let result;
    Promise.resolve(work(tx)).then((r) => { result = r; }, (e) => { tx.abort(); reject(e); });
    tx.oncomplete = () => resolve(result);
    tx.onabort = tx.onerror = () => reject(tx.error);
  });
}

export const getState = (key) => transact(['state'], 'readonly', (tx) => done(tx.objectStore('state').get(key)));
export const setState = (key, value) => transact(['state'], 'readwrite', (tx) => done(tx.objectStore('state').put(value, key)));

export const getSite = (number) => transact(['sites'], 'readonly', (tx) => done(tx.objectStore('sites').get(number)));
export const putSite = (record) => transact(['sites'], 'readwrite', (tx) => done(tx.objectStore('sites').put(record)));
export const clearSites = () => transact(['sites'], 'readwrite', (tx) => done(tx.objectStore('sites').clear()));
export const allSites = () => transact(['sites'], 'readonly', (tx) => done(tx.objectStore('sites').getAll()));

// Adds a revision to send; its sequence number.
export const addRevision = (entry) => transact(['outbox'], 'readwrite', (tx) => done(tx.objectStore('outbox').add(entry)));
export const getRevision = (seq) => transact(['outbox'], 'readonly', (tx) => done(tx.objectStore('outbox').get(seq)));
export const deleteRevision = (seq) => transact(['outbox'], 'readwrite', (tx) => done(tx.objectStore('outbox').delete(seq)));
export const putRevision = (entry) => transact(['outbox'], 'readwrite', (tx) => done(tx.objectStore('outbox').put(entry)));
// Every revision recorded here, in the order recorded.
export const revisions = () => transact(['outbox'], 'readonly', (tx) => done(tx.objectStore('outbox').getAll()));
