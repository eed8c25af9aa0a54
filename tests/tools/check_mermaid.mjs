// Checks every ```mermaid block of a Markdown page (standard input) with Mermaid's own parser.
// Prints "valid N" (N blocks), or the number of the first block that does not parse and why.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';

const require = createRequire(new URL('./mermaid/', import.meta.url));
let mermaid;
try {
  mermaid = (await import(require.resolve('mermaid'))).default;
} catch (e) {
  console.log('Mermaid is not installed in tests/tools/mermaid (scripts/install-deps.sh installs it): ' + e.message);
  process.exit(2);
}

const page = readFileSync(0, 'utf8');
const blocks = [...page.matchAll(/^```mermaid\n([\s\S]*?)^```$/gm)].map((m) => m[1]);
for (let i = 0; i < blocks.length; ++i) {
  try {
    const result = await mermaid.parse(blocks[i]);
    if (!result || result.diagramType !== 'er') {
      console.log(`block ${i + 1} is not an erDiagram`);
      process.exit(1);
    }
  } catch (e) {
    console.log(`block ${i + 1}: ${e.message}`);
    process.exit(1);
  }
}
console.log(`valid ${blocks.length}`);
