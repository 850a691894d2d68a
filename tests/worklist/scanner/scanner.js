// A scanner as the worklist's tests play it, on dcmjs-dimse: it asks the worklist for its day, then reports an
// examination through MPPS, each on an association of its own as scanners do. Prints one JSON object.
//
//   node scanner.js HOST PORT CALLING_AE CALLED_AE worklist YYYYMMDD
//   node scanner.js HOST PORT CALLING_AE CALLED_AE exam ACCESSION [COMPLETED|DISCONTINUED]
//   node scanner.js HOST PORT CALLING_AE CALLED_AE create ACCESSION [PATIENT_BIRTH_DATE]
'use strict';

const dimse = require('dcmjs-dimse');
const { Client, Dataset } = dimse;
const { CFindRequest, NCreateRequest, NSetRequest } = dimse.requests;
const { SopClass, Status } = dimse.constants;
dimse.log.setLevel('error');

const [host, port, callingAe, calledAe, mode, value, finalStatus] = process.argv.slice(2);

function send(requests) {
  return new Promise((resolve, reject) => {
    const client = new Client();
    const results = [];
    for (const request of requests) {
      request.on('response', (response) => results.push(response));
      client.addRequest(request);
    }
    client.on('associationRejected', (result) => reject(new Error('rejected: ' + JSON.stringify(result))));
    client.on('networkError', (e) => reject(e));
    client.on('closed', () => resolve(results));
    client.send(host, Number(port), callingAe, calledAe);
  });
}

async function worklist(date) {
  const request = CFindRequest.createWorklistFindRequest({
    // The keys of the step's item are asked for as a scanner asks: its own station and the day, the rest empty.
    ScheduledProcedureStepSequence: [{ Modality: 'MR', ScheduledStationAETitle: callingAe,
                                       ScheduledProcedureStepStartDate: date, ScheduledProcedureStepStartTime: '',
                                       ScheduledProcedureStepID: '', ScheduledProcedureStepDescription: '' }],
  });
  const responses = await send([request]);
  const items = responses.filter((r) => r.getStatus() === Status.Pending && r.hasDataset())
    .map((r) => r.getDataset().getElements());
  return { status: responses[responses.length - 1].getStatus(), items };
}

function performedStep(accession, status, birthDate) {
  return new Dataset({
    ...(birthDate ? { PatientBirthDate: birthDate } : {}),
    PerformedProcedureStepStatus: status,
    PerformedStationAETitle: callingAe,
    Modality: 'MR',
    PerformedProcedureStepStartDate: '20261208',
    PerformedProcedureStepStartTime: '093000',
    ScheduledStepAttributesSequence: [{ AccessionNumber: accession, ScheduledProcedureStepID: accession }],
  });
}

async function create(accession, uid, birthDate) {
  const request = new NCreateRequest(SopClass.ModalityPerformedProcedureStep, uid);
  request.setDataset(performedStep(accession, 'IN PROGRESS', birthDate));
  const [response] = await send([request]);
  return response.getStatus();
}

async function set(uid, status) {
  const request = new NSetRequest(SopClass.ModalityPerformedProcedureStep, uid);
  request.setDataset(new Dataset({ PerformedProcedureStepStatus: status,
                                   PerformedProcedureStepEndDate: '20261208',
                                   PerformedProcedureStepEndTime: '100000' }));
  const [response] = await send([request]);
  return response.getStatus();
}

async function main() {
  const uid = '2.25.' + BigInt('0x' + require('crypto').randomBytes(15).toString('hex')).toString();
  let result;
  if (mode === 'worklist') {
    result = await worklist(value);
  } else if (mode === 'exam') {
    const created = await create(value, uid);
    result = { create: created, set: await set(uid, finalStatus || 'COMPLETED') };
  } else if (mode === 'create') {
    result = { create: await create(value, uid, finalStatus) };
  } else {
    throw new Error('unknown mode ' + mode);
  }
  process.stdout.write(JSON.stringify(result) + '\n');
}

main().catch((e) => {
  process.stderr.write(String(e && e.stack || e) + '\n');
  process.exit(1);
});
