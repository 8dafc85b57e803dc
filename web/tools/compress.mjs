// Every file named, compressed once at the highest settings beside itself:
// NAME.gz and NAME.br, which the server sends to a browser that accepts
// them (serve.mjs). Used by the site's build and by the browser bench.
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { brotliCompressSync, constants, gzipSync } from 'node:zlib';

export const COMPRESSED = /\.(gz|br)$/;

export function compressFiles(folder, names) {
  for (const name of names) {
    const body = readFileSync(join(folder, name));
    writeFileSync(join(folder, `${name}.gz`), gzipSync(body, { level: 9 }));
    writeFileSync(join(folder, `${name}.br`), brotliCompressSync(body, {
      params: { [constants.BROTLI_PARAM_QUALITY]: 11, [constants.BROTLI_PARAM_SIZE_HINT]: body.length },
    }));
  }
}
