async function load(url){const res=await fetch(url)
if(!res.ok)throw new Error(`bad ${res.status}`)
return await res.json()}var notAsync=async
function later(){}
var async=1;async
(2)